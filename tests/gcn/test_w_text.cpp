// Text box and text field: rows from appended and wrapped text, caret
// movement and editing keys (UTF-8 aware), boxes without rows, paging,
// scrolling the caret into view, and the caret and text drawing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gcn/exception.hpp"
#include "gcn/focushandler.hpp"
#include "gcn/key.hpp"
#include "gcn/widgets/scrollarea.hpp"
#include "gcn/widgets/textbox.hpp"
#include "gcn/widgets/textfield.hpp"
#include "gcn_fakes.hpp"
#include "w_helpers.hpp"

namespace {

using gcn::Color;
using gcn::Key;
using gcn::MouseEvent;
using gcntest::ActionRecorder;
using gcntest::PixelGraphics;
using wtest::drawAlone;
using wtest::mouseEvent;
using wtest::pressKey;

using Rows = std::vector<std::string>;

Rows rowsOf(const gcn::TextBox& box) {
    Rows rows;
    for (int i = 0; i < box.getNumberOfRows(); ++i) {
        rows.push_back(box.getTextRow(i));
    }
    return rows;
}

const std::string kEAcute = "\xC3\xA9";  // U+00E9, typed as key value 233

// ---------------------------------------------------------------------------
// Text box: rows

TEST(TextBoxTest, AppendAndSetText) {
    gcn::TextBox box;
    EXPECT_EQ(box.getNumberOfRows(), 0);
    EXPECT_EQ(box.getWidth(), 1);
    EXPECT_EQ(box.getHeight(), 0);

    box.appendText("one\ntwo");
    box.appendText(std::string("three\n"));
    EXPECT_EQ(rowsOf(box), (Rows{"one", "two", "three", ""}));
    EXPECT_EQ(box.getWidth(), 41);
    EXPECT_EQ(box.getHeight(), 32);
    box.appendText(nullptr);
    box.appendText("");
    EXPECT_EQ(box.getNumberOfRows(), 4);
    EXPECT_EQ(box.getText(), "one\ntwo\nthree\n");

    box.setCaretRowColumn(1, 2);
    box.appendText("x");
    EXPECT_EQ(box.getCaretRow(), 0);
    EXPECT_EQ(box.getCaretColumn(), 0);

    box.setText("");
    EXPECT_EQ(box.getNumberOfRows(), 0);
    gcn::TextBox made("ab\ncd");
    EXPECT_EQ(rowsOf(made), (Rows{"ab", "cd"}));
    EXPECT_EQ(made.getWidth(), 17);
}

TEST(TextBoxTest, WrapsAtTheFirstSpaceThatReachesTheWidth) {
    struct Case {
        const char* text;
        int width;
        Rows rows;
    };
    const Case cases[] = {
        // "aa" (16) is below 40, "aa bb" (40) reaches it.
        {"aa bb cc", 40, {"aa bb", "cc"}},
        {"aa bb cc", 41, {"aa bb cc"}},
        {"abcdefgh ij", 16, {"abcdefgh", "ij"}},
        {"a\nb c", 100, {"a", "b c"}},
        {"", 100, {""}},
        {nullptr, 100, {""}},
        {"end\n", 100, {"end", ""}},
    };
    for (const Case& c : cases) {
        gcn::TextBox box("old rows");
        box.setCaretRowColumn(0, 3);
        box.setTextWrapped(c.text, c.width);
        EXPECT_EQ(rowsOf(box), c.rows) << (c.text ? c.text : "(null)") << " / " << c.width;
        EXPECT_EQ(box.getCaretColumn(), 0);
    }
}

TEST(TextBoxTest, CaretSettersClampAndRowChecks) {
    gcn::TextBox box("abcd\nab");
    box.setCaretRowColumn(0, 4);
    box.setCaretRow(5);
    EXPECT_EQ(box.getCaretRow(), 1);
    EXPECT_EQ(box.getCaretColumn(), 2);
    box.setCaretRow(-3);
    EXPECT_EQ(box.getCaretRow(), 0);

    box.setCaretRowColumn(1, 2);
    box.setTextRow(1, "a");
    EXPECT_EQ(box.getCaretColumn(), 1);
    EXPECT_EQ(box.getWidth(), 33);
    EXPECT_THROW(box.setTextRow(2, "x"), gcn::Exception);
    EXPECT_THROW(box.setTextRow(-1, "x"), gcn::Exception);
}

// ---------------------------------------------------------------------------
// Text box: keys

struct KeyCase {
    const char* name;
    Rows before;
    int row;
    int column;
    int key;
    Rows after;
    int caret_row;
    int caret_column;
};

std::string joined(const Rows& rows) {
    std::string s;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        s += (i ? "\n" : "") + rows[i];
    }
    return s;
}

TEST(TextBoxTest, KeysMoveAndEdit) {
    const KeyCase cases[] = {
        {"left", {"ab", "cd"}, 1, 1, Key::Left, {"ab", "cd"}, 1, 0},
        {"left wraps up", {"ab", "cd"}, 1, 0, Key::Left, {"ab", "cd"}, 0, 2},
        {"left at start", {"ab"}, 0, 0, Key::Left, {"ab"}, 0, 0},
        {"right wraps down", {"ab", "cd"}, 0, 2, Key::Right, {"ab", "cd"}, 1, 0},
        {"right at end", {"ab", "cd"}, 1, 2, Key::Right, {"ab", "cd"}, 1, 2},
        {"down clamps", {"abcd", "a"}, 0, 3, Key::Down, {"abcd", "a"}, 1, 1},
        {"up on first", {"abcd", "a"}, 0, 3, Key::Up, {"abcd", "a"}, 0, 3},
        {"home", {"abc"}, 0, 2, Key::Home, {"abc"}, 0, 0},
        {"end", {"abc"}, 0, 1, Key::End, {"abc"}, 0, 3},
        {"enter splits", {"abc"}, 0, 1, Key::Enter, {"a", "bc"}, 1, 0},
        {"backspace", {"abc"}, 0, 2, Key::Backspace, {"ac"}, 0, 1},
        {"backspace joins", {"ab", "cd"}, 1, 0, Key::Backspace, {"abcd"}, 0, 2},
        {"backspace at start", {"ab"}, 0, 0, Key::Backspace, {"ab"}, 0, 0},
        {"delete", {"abc"}, 0, 1, Key::Delete, {"ac"}, 0, 1},
        {"delete joins", {"ab", "cd"}, 0, 2, Key::Delete, {"abcd"}, 0, 2},
        {"delete at end", {"ab"}, 0, 2, Key::Delete, {"ab"}, 0, 2},
        {"tab", {"ab"}, 0, 1, Key::Tab, {"a    b"}, 0, 5},
        {"character", {"ab"}, 0, 1, 'x', {"axb"}, 0, 2},
        {"latin-1 as utf-8", {"ab"}, 0, 1, 233, {"a" + kEAcute + "b"}, 0, 3},
        {"euro sign as utf-8", {"ab"}, 0, 2, 0x20AC, {"ab\xE2\x82\xAC"}, 0, 5},
        {"control range ignored", {"ab"}, 0, 1, 150, {"ab"}, 0, 1},
        {"surrogate ignored", {"ab"}, 0, 1, 0xD800, {"ab"}, 0, 1},
        {"left over utf-8", {"a" + kEAcute}, 0, 3, Key::Left, {"a" + kEAcute}, 0, 1},
        {"right over utf-8", {kEAcute + "b"}, 0, 0, Key::Right, {kEAcute + "b"}, 0, 2},
        {"backspace utf-8", {"a" + kEAcute}, 0, 3, Key::Backspace, {"a"}, 0, 1},
        {"delete utf-8", {kEAcute + "b"}, 0, 0, Key::Delete, {"b"}, 0, 0},
        {"other key", {"ab"}, 0, 1, Key::F1, {"ab"}, 0, 1},
    };
    for (const KeyCase& c : cases) {
        gcn::TextBox box(joined(c.before).c_str());
        box.setCaretRowColumn(c.row, c.column);
        EXPECT_TRUE(pressKey(&box, c.key)) << c.name;
        EXPECT_EQ(rowsOf(box), c.after) << c.name;
        EXPECT_EQ(box.getCaretRow(), c.caret_row) << c.name;
        EXPECT_EQ(box.getCaretColumn(), c.caret_column) << c.name;
    }
}

TEST(TextBoxTest, ReadOnlyBoxMovesTheCaretButKeepsItsText) {
    gcn::TextBox box("ab\ncd");
    box.setEditable(false);
    box.setCaretRowColumn(1, 0);
    for (int key : {static_cast<int>('x'), static_cast<int>(Key::Enter), static_cast<int>(Key::Tab),
                    static_cast<int>(Key::Backspace), static_cast<int>(Key::Delete)}) {
        EXPECT_TRUE(pressKey(&box, key));
    }
    EXPECT_EQ(rowsOf(box), (Rows{"ab", "cd"}));
    pressKey(&box, Key::Left);
    EXPECT_EQ(box.getCaretRow(), 0);
    EXPECT_EQ(box.getCaretColumn(), 2);
}

TEST(TextBoxTest, BoxWithoutRowsWorksOnAnEmptyRow) {
    // Navigation and erasing keep the box empty; typing gives it its row.
    for (int key : {Key::Left, Key::Right, Key::Up, Key::Down, Key::Home, Key::End, Key::Backspace, Key::Delete,
                    Key::PageUp, Key::PageDown}) {
        gcn::TextBox box;
        EXPECT_TRUE(pressKey(&box, key)) << key;
        EXPECT_EQ(box.getNumberOfRows(), 0) << key;
        EXPECT_EQ(box.getCaretRow(), 0);
        EXPECT_EQ(box.getCaretColumn(), 0);
    }
    gcn::TextBox typed;
    typed.setText("");
    pressKey(&typed, 'a');
    EXPECT_EQ(rowsOf(typed), (Rows{"a"}));
    EXPECT_EQ(typed.getCaretColumn(), 1);

    gcn::TextBox entered;
    pressKey(&entered, Key::Enter);
    EXPECT_EQ(rowsOf(entered), (Rows{"", ""}));
    EXPECT_EQ(entered.getCaretRow(), 1);

    gcn::TextBox clicked;
    MouseEvent press = mouseEvent(&clicked, MouseEvent::Pressed, 30, 20);
    clicked.mousePressed(press);
    EXPECT_EQ(clicked.getNumberOfRows(), 0);
    EXPECT_EQ(clicked.getCaretRow(), 0);
    EXPECT_EQ(clicked.getCaretColumn(), 0);

    // Drawing an empty focused box draws its caret at the origin.
    wtest::SteadyStyleScope style;
    gcn::FocusHandler fh;
    gcn::TextBox shown;
    shown.setSize(10, 10);
    shown._setFocusHandler(&fh);
    fh.requestFocus(&shown);
    PixelGraphics g(10, 10);
    drawAlone(shown, g);
    EXPECT_EQ(g.at(0, 4), Color(0, 0, 0));
}

TEST(TextBoxTest, PageKeysMoveByTheParentsVisibleRowsAndClampTheColumn) {
    // Ten rows in a scroll area 24 pixels high: a page is three rows.
    gcn::TextBox box("a long first row\nb\nc\nd\ne\nf\ng\nh\ni\nj");
    gcn::ScrollArea area(&box, gcn::ScrollArea::ShowNever, gcn::ScrollArea::ShowAlways);
    area.setSize(200, 24);
    box.setCaretRowColumn(0, 10);

    pressKey(&box, Key::PageDown);
    EXPECT_EQ(box.getCaretRow(), 3);
    EXPECT_EQ(box.getCaretColumn(), 1);
    pressKey(&box, Key::PageDown);
    pressKey(&box, Key::PageDown);
    pressKey(&box, Key::PageDown);
    EXPECT_EQ(box.getCaretRow(), 9);
    pressKey(&box, Key::PageUp);
    EXPECT_EQ(box.getCaretRow(), 6);
    for (int i = 0; i < 4; ++i) {
        pressKey(&box, Key::PageUp);
    }
    EXPECT_EQ(box.getCaretRow(), 0);

    // Without a parent the page keys do nothing.
    gcn::TextBox alone("a\nb\nc\nd");
    alone.setCaretRowColumn(1, 1);
    pressKey(&alone, Key::PageDown);
    EXPECT_EQ(alone.getCaretRow(), 1);
}

TEST(TextBoxTest, KeysScrollTheCaretIntoView) {
    std::string text;
    for (int i = 0; i < 20; ++i) {
        text += "row\n";
    }
    text += "last";
    gcn::TextBox box(text.c_str());
    gcn::ScrollArea area(&box, gcn::ScrollArea::ShowNever, gcn::ScrollArea::ShowAlways);
    area.setSize(100, 40);
    box.setCaretRow(20);
    pressKey(&box, Key::End);
    // The caret rectangle ends at 20 x 8 + 10; the content is 168 high.
    EXPECT_EQ(area.getVerticalScrollAmount(), 128);
    pressKey(&box, Key::Home);
    box.setCaretRow(0);
    pressKey(&box, Key::Home);
    EXPECT_EQ(area.getVerticalScrollAmount(), 0);
}

TEST(TextBoxTest, PressPlacesTheCaret) {
    gcn::TextBox box("abcd\nef");
    struct Case {
        int x, y, button, row, column;
    };
    for (const Case& c : {Case{9, 3, MouseEvent::Left, 0, 1}, Case{20, 100, MouseEvent::Left, 1, 2},
                          Case{100, 0, MouseEvent::Left, 0, 4}, Case{0, 0, MouseEvent::Right, 0, 4}}) {
        MouseEvent press = mouseEvent(&box, MouseEvent::Pressed, c.x, c.y, c.button);
        box.mousePressed(press);
        EXPECT_EQ(box.getCaretRow(), c.row) << c.x << "," << c.y;
        EXPECT_EQ(box.getCaretColumn(), c.column) << c.x << "," << c.y;
    }
}

TEST(TextBoxTest, DrawsRowsAndACaretOnlyWhenFocusedEditableAndNotBlinking) {
    wtest::SteadyStyleScope style;
    const Color black(0, 0, 0);
    const Color white(255, 255, 255);
    struct Case {
        bool editable;
        bool blink;
        bool caret;
    };
    for (const Case& c : {Case{true, false, true}, Case{false, false, false}, Case{true, true, false}}) {
        style.style.blink = c.blink;
        gcn::FocusHandler fh;
        gcn::TextBox box("ab\ncd");
        box.setEditable(c.editable);
        box._setFocusHandler(&fh);
        fh.requestFocus(&box);
        box.setCaretRowColumn(1, 0);
        box.setSize(40, 24);
        PixelGraphics g(40, 24);
        drawAlone(box, g);
        // Rows at x 1: "a" from (1, 0), "c" from (1, 8).
        EXPECT_EQ(g.at(1, 0), black);
        EXPECT_EQ(g.at(1, 8), black);
        EXPECT_EQ(g.at(20, 20), white);
        // The caret runs from (0, 16) up to (0, 8), left of the text.
        EXPECT_EQ(g.at(0, 12), c.caret ? black : white) << c.editable << c.blink;
        EXPECT_EQ(g.at(0, 4), white);
    }
    gcn::TextBox clear("a");
    clear.setOpaque(false);
    PixelGraphics g(10, 8);
    drawAlone(clear, g);
    EXPECT_EQ(g.at(0, 0), gcntest::kUnset);
}

// ---------------------------------------------------------------------------
// Text field

struct FieldCase {
    const char* name;
    std::string before;
    unsigned caret;
    int key;
    std::string after;
    unsigned caret_after;
};

TEST(TextFieldTest, KeysMoveAndEdit) {
    const FieldCase cases[] = {
        {"left", "abc", 2, Key::Left, "abc", 1},
        {"left at start", "abc", 0, Key::Left, "abc", 0},
        {"right", "abc", 1, Key::Right, "abc", 2},
        {"right at end", "abc", 3, Key::Right, "abc", 3},
        {"delete", "abc", 1, Key::Delete, "ac", 1},
        {"delete at end", "abc", 3, Key::Delete, "abc", 3},
        {"backspace", "abc", 1, Key::Backspace, "bc", 0},
        {"home", "abc", 2, Key::Home, "abc", 0},
        {"end", "abc", 1, Key::End, "abc", 3},
        {"character", "ac", 1, 'b', "abc", 2},
        {"latin-1 as utf-8", "ab", 1, 233, "a" + kEAcute + "b", 3},
        {"left over utf-8", "a" + kEAcute, 3, Key::Left, "a" + kEAcute, 1},
        {"euro sign as utf-8", "a", 1, 0x20AC, "a\xE2\x82\xAC", 4},
        {"backspace over a 3-byte character", "a\xE2\x82\xAC", 4, Key::Backspace, "a", 1},
        {"backspace utf-8", kEAcute + "b", 2, Key::Backspace, "b", 0},
        {"delete utf-8", "a" + kEAcute, 1, Key::Delete, "a", 1},
    };
    for (const FieldCase& c : cases) {
        gcn::TextField field(c.before);
        field.setCaretPosition(c.caret);
        EXPECT_TRUE(pressKey(&field, c.key)) << c.name;
        EXPECT_EQ(field.getText(), c.after) << c.name;
        EXPECT_EQ(field.getCaretPosition(), c.caret_after) << c.name;
    }
}

TEST(TextFieldTest, TabPassesThroughAndEnterFiresEvenReadOnly) {
    gcn::TextField field("ab");
    ActionRecorder actions;
    field.addActionListener(&actions);
    field.setCaretPosition(1);
    EXPECT_FALSE(pressKey(&field, Key::Tab));
    EXPECT_EQ(field.getText(), "ab");

    field.setEditable(false);
    EXPECT_TRUE(pressKey(&field, Key::Enter));
    EXPECT_EQ(actions.sources.size(), 1u);
    EXPECT_TRUE(pressKey(&field, 'x'));
    EXPECT_TRUE(pressKey(&field, Key::Backspace));
    EXPECT_EQ(field.getText(), "ab");
    // Moving still works.
    pressKey(&field, Key::Right);
    EXPECT_EQ(field.getCaretPosition(), 2u);
}

TEST(TextFieldTest, EnterMayDestroyTheField) {
    auto* field = new gcn::TextField("ab");
    struct Closer : gcn::ActionListener {
        void action(const gcn::ActionEvent& e) override { delete e.getSource(); }
    } closer;
    field->addActionListener(&closer);
    gcn::KeyEvent e = wtest::keyEvent(field, Key::Enter);
    field->keyPressed(e);
    EXPECT_TRUE(e.isConsumed());
}

TEST(TextFieldTest, ScrollKeepsTheCaretInside) {
    gcn::FocusHandler fh;
    gcn::TextField field;
    field.setSize(40, 12);
    field._setFocusHandler(&fh);
    fh.requestFocus(&field);
    for (int i = 0; i < 10; ++i) {
        pressKey(&field, 'a');
    }
    // The caret (at 80) stays 4 pixels inside the right edge.
    EXPECT_EQ(field.getScroll(), 44);
    pressKey(&field, Key::Home);
    EXPECT_EQ(field.getScroll(), 0);
    pressKey(&field, Key::End);
    EXPECT_EQ(field.getScroll(), 44);

    // A press maps through the scroll.
    MouseEvent press = mouseEvent(&field, MouseEvent::Pressed, 4, 5);
    field.mousePressed(press);
    EXPECT_EQ(field.getCaretPosition(), 6u);

    // Without the focus nothing scrolls.
    gcn::TextField unfocused;
    unfocused.setSize(40, 12);
    unfocused.setText("aaaaaaaaaa");
    unfocused.setCaretPosition(10);
    EXPECT_EQ(unfocused.getScroll(), 0);
}

TEST(TextFieldTest, CaretLeftOfTheViewScrollsItToTheMiddle) {
    gcn::FocusHandler fh;
    gcn::TextField field("aaaaaaaaaa");
    field.setSize(40, 12);
    field._setFocusHandler(&fh);
    fh.requestFocus(&field);
    pressKey(&field, Key::End);
    ASSERT_EQ(field.getScroll(), 44);
    // The caret at 40 is left of the view (starting at 44): half a width
    // before it becomes the view's start.
    field.setCaretPosition(5);
    EXPECT_EQ(field.getScroll(), 20);
    // Inside the view nothing moves.
    pressKey(&field, Key::Left);
    EXPECT_EQ(field.getScroll(), 20);
    // Near the start the view stops at the text's beginning.
    field.setCaretPosition(1);
    EXPECT_EQ(field.getScroll(), 0);
}

TEST(TextFieldTest, AlignmentShiftsTheTextAndThePressMapping) {
    struct Case {
        int alignment;
        int text_x;  // where "ab" (16 wide) starts in a field 40 wide
    };
    for (const Case& c : {Case{0, 2}, Case{1, 2 + 12}, Case{2, 2 + 24}}) {
        gcn::TextField field("ab");
        field.setSize(40, 12);
        field.setAlignment(c.alignment);
        field.fixScroll();
        PixelGraphics g(40, 12);
        drawAlone(field, g);
        EXPECT_EQ(g.at(c.text_x, 2), Color(0, 0, 0)) << c.alignment;
        EXPECT_EQ(g.at(c.text_x - 1, 2), Color(255, 255, 255)) << c.alignment;
        // A press on the second glyph puts the caret before it.
        MouseEvent press = mouseEvent(&field, MouseEvent::Pressed, c.text_x + 8, 5);
        field.mousePressed(press);
        EXPECT_EQ(field.getCaretPosition(), 1u) << c.alignment;
    }
}

TEST(TextFieldTest, SizesAndSetText) {
    gcn::TextField field("abc");
    EXPECT_EQ(field.getWidth(), 30);
    EXPECT_EQ(field.getHeight(), 12);
    field.setCaretPosition(3);
    field.setText("a");
    EXPECT_EQ(field.getCaretPosition(), 1u);
    field.setText("abcdef");
    EXPECT_EQ(field.getCaretPosition(), 1u);
    field.setWidth(100);
    field.setHeight(3);
    field.adjustHeight();
    EXPECT_EQ(field.getWidth(), 100);
    EXPECT_EQ(field.getHeight(), 12);
    // A caret that would fall inside a character moves to its start.
    field.setText(kEAcute);
    field.setCaretPosition(1);
    EXPECT_EQ(field.getCaretPosition(), 0u);
}

TEST(TextFieldTest, DrawsBevelSelectionOutlineCaretAndText) {
    wtest::SteadyStyleScope style;
    const Color black(0, 0, 0);
    gcn::FocusHandler fh;
    gcn::TextField field("a");
    field.setSize(30, 14);
    field._setFocusHandler(&fh);
    fh.requestFocus(&field);
    field.setCaretPosition(1);
    PixelGraphics g(30, 14);
    drawAlone(field, g);
    EXPECT_EQ(g.at(0, 0), Color(89, 89, 89));
    EXPECT_EQ(g.at(29, 13), Color(166, 166, 166));
    EXPECT_EQ(g.at(1, 1), field.getSelectionColor());
    EXPECT_EQ(g.at(2, 2), black);  // the glyph at (1, 1) inside the clip area
    // The caret at x 8 inside the clip area, from y 1 to clip height - 2.
    EXPECT_EQ(g.at(10, 11), black);
    EXPECT_EQ(g.at(10, 12), field.getSelectionColor());

    fh.focusNone();
    PixelGraphics plain(30, 14);
    drawAlone(field, plain);
    EXPECT_EQ(plain.at(1, 1), Color(255, 255, 255));
    EXPECT_EQ(plain.at(10, 11), Color(255, 255, 255));
}

}  // namespace

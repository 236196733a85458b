// Button bars: stacking and sizing children by kind, spacing and margin,
// the layout modes, nested bars and the common width or height.
#include <gtest/gtest.h>

#include "gcn/widgets/button.hpp"
#include "gcn/widgets/buttonbar.hpp"
#include "gcn/widgets/checkbox.hpp"
#include "gcn/widgets/label.hpp"
#include "gcn/widgets/textfield.hpp"
#include "gcn_fakes.hpp"

namespace {

using gcn::Rectangle;

TEST(ButtonBarTest, EmptyBars) {
    gcn::ButtonVBar v;
    v.setSpacingAndMargin(3, 5);
    v.layout();
    EXPECT_EQ(v.getWidth(), 10);
    EXPECT_EQ(v.getHeight(), 5);
    EXPECT_FALSE(v.isOpaque());
    gcn::ButtonHBar h;
    h.setSpacingAndMargin(3, 5);
    h.layout();
    EXPECT_EQ(h.getWidth(), 0);
    EXPECT_EQ(h.getHeight(), 10);
}

TEST(ButtonBarTest, VerticalBarStacksAndWidens) {
    gcn::ButtonVBar bar;
    gcn::Button a("a");      // 16 x 16
    gcn::Button b("abcd");   // 40 x 16
    gcn::Label c("xy");      // 16 x 8
    c.setSize(1, 1);
    bar.add(&a);
    bar.add(&b);
    bar.add(&c);
    bar.layout();
    EXPECT_EQ(bar.getHeight(), 16 + 16 + 8 + 3);
    EXPECT_EQ(bar.getWidth(), 40);
    EXPECT_EQ(a.getDimension(), Rectangle(0, 0, 40, 16));
    EXPECT_EQ(b.getDimension(), Rectangle(0, 17, 40, 16));
    EXPECT_EQ(c.getDimension(), Rectangle(0, 34, 40, 8));

    bar.setSpacingAndMargin(2, 3);
    bar.layout();
    EXPECT_EQ(bar.getWidth(), 46);
    EXPECT_EQ(bar.getHeight(), 3 + 18 + 18 + 10);
    EXPECT_EQ(a.getDimension(), Rectangle(3, 3, 40, 16));
    EXPECT_EQ(c.getDimension(), Rectangle(3, 39, 40, 8));
}

TEST(ButtonBarTest, HorizontalBarLinesUpAndHeightens) {
    gcn::ButtonHBar bar;
    bar.setSpacingAndMargin(2, 1);
    gcn::Button a("a");
    gcn::CheckBox c("ab");  // 28 x 8
    bar.add(&a);
    bar.add(&c);
    bar.layout();
    EXPECT_EQ(bar.getWidth(), 16 + 2 + 28 + 2);
    EXPECT_EQ(bar.getHeight(), 18);
    EXPECT_EQ(a.getDimension(), Rectangle(0, 1, 16, 16));
    EXPECT_EQ(c.getDimension(), Rectangle(18, 1, 28, 16));
}

TEST(ButtonBarTest, ModesChooseWhoIsLaidOut) {
    struct Case {
        int mode;
        bool disabled_moves;
        bool hidden_moves;
    };
    for (const Case& c : {Case{1, false, false}, Case{2, true, false}, Case{0, true, true}, Case{7, true, true}}) {
        gcn::ButtonVBar bar;
        gcn::Button a("a");
        gcn::Button disabled("abcdef");
        gcn::Button hidden("abcdefgh");
        gcn::Button b("ab");
        disabled.setEnabled(false);
        hidden.setVisible(false);
        disabled.setDimension(Rectangle(5, 100, 3, 3));
        hidden.setDimension(Rectangle(7, 200, 3, 3));
        bar.add(&a);
        bar.add(&disabled);
        bar.add(&hidden);
        bar.add(&b);
        bar.layout(c.mode);
        // Everyone gets the common width, also those left out.
        const int widest = c.hidden_moves ? 72 : c.disabled_moves ? 56 : 24;
        EXPECT_EQ(bar.getWidth(), widest) << c.mode;
        EXPECT_EQ(disabled.getWidth(), widest) << c.mode;
        EXPECT_EQ(hidden.getWidth(), widest) << c.mode;
        EXPECT_EQ(disabled.getY(), c.disabled_moves ? 17 : 100) << c.mode;
        EXPECT_EQ(disabled.getHeight(), c.disabled_moves ? 16 : 3) << c.mode;
        EXPECT_EQ(hidden.getY(), c.hidden_moves ? 34 : 200) << c.mode;
        const int rows = 2 + (c.disabled_moves ? 1 : 0) + (c.hidden_moves ? 1 : 0);
        EXPECT_EQ(bar.getHeight(), rows * 17) << c.mode;
    }
}

TEST(ButtonBarTest, NestedBarsAreLaidOutFirst) {
    gcn::ButtonVBar column;
    gcn::ButtonHBar row;
    gcn::Button wide("abcdefghij");  // 88 x 16
    gcn::Button r1("a");
    gcn::Button r2("b");
    column.add(&wide);
    column.add(&row);
    row.add(&r1);
    row.add(&r2);
    column.layout();
    // The row: 16 + 1 + 16 + 1 wide, then widened by setWidth only.
    EXPECT_EQ(row.getDimension(), Rectangle(0, 17, 88, 16));
    EXPECT_EQ(r1.getDimension(), Rectangle(0, 0, 16, 16));
    EXPECT_EQ(r2.getDimension(), Rectangle(17, 0, 16, 16));
    EXPECT_EQ(column.getHeight(), 34);

    // A column in a column passes the common width on to its children.
    gcn::ButtonVBar outer;
    gcn::ButtonVBar inner;
    inner.setSpacingAndMargin(1, 2);
    gcn::Button i1("a");
    inner.add(&i1);
    outer.add(&wide);
    outer.add(&inner);
    outer.layout();
    EXPECT_EQ(inner.getWidth(), 88);
    EXPECT_EQ(i1.getWidth(), 84);

    // A row in a row passes the common height on.
    gcn::ButtonHBar outer_row;
    gcn::ButtonHBar inner_row;
    gcn::Button tall("t");
    tall.setSpacing(10);
    gcn::Button i2("b");
    inner_row.add(&i2);
    outer_row.add(&tall);
    outer_row.add(&inner_row);
    outer_row.layout();
    EXPECT_EQ(tall.getHeight(), 28);
    EXPECT_EQ(inner_row.getHeight(), 28);
    EXPECT_EQ(i2.getHeight(), 28);
}

TEST(ButtonBarTest, TextFieldsAreSizedOnlyInColumns) {
    gcn::TextField in_row("abc");
    in_row.setSize(100, 5);
    gcn::Button b("a");
    gcn::ButtonHBar row;
    row.add(&in_row);
    row.add(&b);
    row.layout();
    EXPECT_EQ(in_row.getWidth(), 100);
    EXPECT_EQ(in_row.getHeight(), 16);
    EXPECT_EQ(b.getX(), 101);

    gcn::TextField in_column("abc");
    in_column.setSize(100, 5);
    gcn::ButtonVBar column;
    column.add(&in_column);
    column.layout();
    EXPECT_EQ(in_column.getDimension(), Rectangle(0, 0, 30, 12));

    // Widgets of other kinds keep their size.
    gcntest::Log log;
    gcntest::Probe probe("p", &log, 0, 0, 7, 9);
    gcn::ButtonVBar probes;
    probes.add(&probe);
    probes.layout();
    EXPECT_EQ(probe.getDimension(), Rectangle(0, 0, 7, 9));
    EXPECT_EQ(probes.getHeight(), 10);
}

}  // namespace

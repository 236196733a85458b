// What the info dialogs of the building kinds share: the picture of the
// building with its image's name and note (RnBuildingImagePanel), and the
// dialog base (RnBuildingDialog) that lays out the column of a dialog -- the
// info text, the kind's own rows, the material line, the status text, the
// summary and the picture -- and the worker rows whose "+1" buttons ask the
// workforce network for one more worker. A dialog is a snapshot of the
// building when it opened; only its buttons act on the world, by the
// building's id.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dax2/dax_dialog.h"
#include "dax2/dax_icon.h"
#include "dax2/dax_oid.h"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/buttonbar.hpp"
#include "gcn/widgets/label.hpp"
#include "gcn/widgets/textbox.hpp"

struct RnMapTile;
struct RnWorkerReq;
class RnGenericBuilding;
class RnSimpleBuilding;

// The building's image beside its registry name and, when the image carries
// one, its note.
class RnBuildingImagePanel {
public:
    RnBuildingImagePanel();

    // Shows the tile's building image (its second image) and appends the
    // panel to the column; nothing for a tile without one.
    void showTileBitmap(const RnMapTile& tile, gcn::ButtonVBar& column);

    bool isShown() const { return shown_; }
    DaxIcon& icon() { return icon_; }
    gcn::Label& nameLabel() { return name_; }
    gcn::Label& textLabel() { return text_; }
    gcn::ButtonHBar& bar() { return hbar_; }

private:
    DaxIcon icon_;
    gcn::Label name_;
    gcn::Label text_;
    gcn::ButtonVBar vbar_;
    gcn::ButtonHBar hbar_;
    bool shown_ = false;
};

class RnBuildingDialog : public DaxDialogBase {
public:
    // One worker requirement: its text and, while workers are missing, the
    // "+1" button asking the people type's network for one more.
    struct WorkerRow {
        std::unique_ptr<gcn::ButtonHBar> bar;
        std::unique_ptr<gcn::Label> label;
        std::unique_ptr<gcn::Button> more;  // null when none is missing
        int16_t ppl_type_idx = -1;          // whose network the button asks
    };

    ~RnBuildingDialog() override;
    RnBuildingDialog(const RnBuildingDialog&) = delete;
    RnBuildingDialog& operator=(const RnBuildingDialog&) = delete;

    // A "+1" button asks for one more worker for the building, while it
    // stands; when the network moved one, the dialog closes as with ok
    // (reopening shows the new count). Other sources go to the base.
    void action(const gcn::ActionEvent& event) override;

    const RnObjectID& buildingId() const { return oid_; }
    gcn::ButtonVBar& column() { return column_; }
    gcn::TextBox& infoBox() { return info_; }
    gcn::Label& materialLabel() { return material_; }
    gcn::TextBox& statusBox() { return status_; }
    gcn::TextBox& summaryBox() { return summary_; }
    RnBuildingImagePanel& imagePanel() { return panel_; }
    const std::vector<WorkerRow>& workerRows() const { return rows_; }

protected:
    // The window with its kind's caption (replaced by the type's name,
    // window_caption) and the ok button; the info text of b first in the
    // column.
    RnBuildingDialog(const char* kind_caption, const RnGenericBuilding& b, const std::string& window_caption);

    // One row per requirement, while the building has workers in reach.
    void addWorkerRows(const RnGenericBuilding& b, const std::vector<RnWorkerReq>& reqs);
    // The material line of a simple building that keeps material.
    void addMaterialLabel(const RnSimpleBuilding& b);
    // Sets the material line's caption and appends it, when there is one.
    void showMaterialLine(const std::string& text);
    // The status text, the summary (when there is one) and the picture;
    // then lays the column out and sizes the window.
    void finish(const RnGenericBuilding& b, const std::string& status, const std::string& summary);
    // The same with the building's header as its summary (the kinds other
    // than the house).
    void finish(const RnGenericBuilding& b, const std::string& status);

private:
    RnObjectID oid_;
    gcn::TextBox info_;
    gcn::Label material_;
    gcn::TextBox status_;
    gcn::TextBox summary_;
    RnBuildingImagePanel panel_;
    std::vector<WorkerRow> rows_;
    gcn::ButtonVBar column_;
};

// Appends "\n" when buf holds text already: the entries of a status text
// each start a line.
void rnDlgNewEntry(std::string& buf);
// "<stored> <goods> in store" and, when some are on the way, ", <promised>
// on the way".
void rnDlgAppendStored(std::string& buf, int stored, int promised, int16_t goods);
// The name of a walker type for the dialogs' texts; "??" for a type the
// tables do not hold.
const char* rnDlgWalkerName(int16_t kind, int16_t type_idx);

// The info dialog of a decoration.
#include "rn_dlg_deco.h"

#include "rn_bld_deco.h"
#include "rn_bld_serv.h"
#include "rn_bld_texts.h"
#include "rn_game.h"

namespace {

enum : int {
    kTextLeft = 2131,
};

}  // namespace

RnDecoDialog::RnDecoDialog(const RnDeco& b) : RnBuildingDialog("Deco", b, b.decoType().name_) {
    const RnDecoType& type = b.decoType();
    std::string status;
    if (!b.isDestroyed()) {
        addMaterialLabel(b);
        const int left = b.effect_.remainingPermille(rnNow());
        rnAppendMsg(status, kTextLeft, "d", static_cast<int>(left * 0.1));
        if (type.service_type_idx_ >= 0 && static_cast<size_t>(type.service_type_idx_) < grn_game.servTypes().size()) {
            rnAppendf(status, " (%s)", grn_game.servType(type.service_type_idx_).name_.c_str());
        }
        for (const auto& [goods, e] : b.goods_) {
            rnDlgNewEntry(status);
            rnDlgAppendStored(status, e.stored_, e.promised_, goods);
        }
    }
    finish(b, status);
}

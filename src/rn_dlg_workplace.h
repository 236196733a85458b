// The info dialogs of the five workplace kinds: builder, production,
// service, market and storage. Each shows a worker row per requirement (with
// "+1" while workers are missing), the building material, what it holds and
// what its walkers do; the market also has one check box per goods type that
// switches the goods type on or off.
#pragma once

#include <map>
#include <memory>

#include "gcn/widgets/checkbox.hpp"
#include "rn_dlg_building.h"

class RnBldr;
class RnMrkt;
class RnProd;
class RnServ;
class RnStor;

class RnBldrDialog : public RnBuildingDialog {
public:
    explicit RnBldrDialog(const RnBldr& b);
};

class RnProdDialog : public RnBuildingDialog {
public:
    explicit RnProdDialog(const RnProd& b);
};

class RnServDialog : public RnBuildingDialog {
public:
    explicit RnServDialog(const RnServ& b);
};

class RnStorDialog : public RnBuildingDialog {
public:
    explicit RnStorDialog(const RnStor& b);
};

class RnMrktDialog : public RnBuildingDialog {
public:
    explicit RnMrktDialog(const RnMrkt& b);
    ~RnMrktDialog() override;

    // A check box switches its goods type of the market, while the market
    // stands; the dialog stays open. Other sources as the base.
    void action(const gcn::ActionEvent& event) override;

    // The check boxes by goods type, in goods type order.
    const std::map<int16_t, std::unique_ptr<gcn::CheckBox>>& goodsBoxes() const { return boxes_; }

private:
    std::map<int16_t, std::unique_ptr<gcn::CheckBox>> boxes_;
};

#include "dax2/dax_oid.h"

#include "dax2/dax_error.h"

// The check texts and positions below are fixed: tools and bug reports match
// the "dax2\dax_oid" lines.

void RnObjectID::setTypeIdx(int16_t idx) {
    DAX_ASSERT_AT(type_idx_<0, "dax2\\dax_oid", 26);
    type_idx_ = idx;
}

void RnObjectID::setBldIdx(int aidx) {
    DAX_ASSERT_AT(bld_idx_==-1, "dax2\\dax_oid", 54);
    DAX_ASSERT_AT(aidx>=0, "dax2\\dax_oid", 55);
    bld_idx_ = aidx;
}

// The workforce network of one people type: houses offer workers, workplaces
// ask for them, and a flow over the road network assigns them. Only the part
// that the people type record holds is here.
// LATER: the network itself comes with its own code.
#pragma once

#include <cstdint>

// Held by value in each people type record and copied with it.
class RnWorkforce {
public:
    // The index of the people type that owns this network, given once the
    // people type is registered.
    void setPeopleTypeIdx(int16_t idx) { people_type_idx_ = idx; }
    int16_t peopleTypeIdx() const { return people_type_idx_; }

private:
    int16_t people_type_idx_ = -1;
};

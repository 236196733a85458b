// Networks of the workforce tests: buildings that are only a position, a
// worker count and a record of the notices they got, installed in a network
// of people type 0.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

#include "dax2/dax_geometry.h"
#include "dax2/dax_ini.h"
#include "rn_workforce.h"
#include "support/allegro_env.h"
#include "support/dax_probe.h"

namespace wkftest {

// Houses and workplaces as the network sees them.
class FakeBuildings : public RnWorkforceBuildingsIfc {
public:
    struct Place {
        DaxMapPositionF centre;
        int workers = 0;   // offered by a house
        int employed = 0;  // set by the network
    };
    struct Notice {
        RnObjectID oid;
        uint32_t time;
    };

    DaxMapPositionF centreOnMap(const RnObjectID& oid) override { return places.at(oid).centre; }
    int curNumWorkers(const RnObjectID& house) override { return places.at(house).workers; }
    bool setEmployed(const RnObjectID& house, uint16_t n) override {
        Place& p = places.at(house);
        bool changed = p.employed != n;
        p.employed = n;
        return changed;
    }
    void workersChanged(const RnObjectID& oid, DaxGameTime t) override { notices.push_back({oid, t.value()}); }
    DaxGameTime now() override { return DaxGameTime(now_); }

    std::map<RnObjectID, Place, RnObjectIDLess> places;
    std::vector<Notice> notices;
    uint32_t now_ = 1000;
};

class WorkforceTest : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        dax_config.debug_level_ = 0;
        dax_config.debug_ltype_ = 0;
        clearConsole();
        freshNetwork();
    }
    void TearDown() override {
        dax_config.debug_level_ = 1;
        dax_config.debug_ltype_ = 1;
        clearConsole();
    }

    // An empty network in place of the fixture's.
    void freshNetwork() {
        net = RnWorkforce();
        net.setBuildings(&town);
        net.setPeopleTypeIdx(0);
    }
    // A house at (x, y) offering workers: it sets its count, then joins
    // with none and grows, as a real house does.
    RnObjectID house(float x, float y, int workers = 0) {
        RnObjectID oid(RnIdBldHous, 0, next_house_++);
        town.places[oid].centre = DaxMapPositionF(x, y);
        net.addSource(oid, 0);
        if (workers > 0) grow(oid, workers);
        return oid;
    }
    // A workplace at (x, y) requiring workers within range.
    RnObjectID sink(float x, float y, int workers, int range) {
        RnObjectID oid(RnIdBldServ, 0, next_sink_++);
        town.places[oid].centre = DaxMapPositionF(x, y);
        net.addSink(oid, static_cast<uint16_t>(workers), static_cast<uint16_t>(range));
        return oid;
    }
    // The house's offer changes by delta.
    void grow(const RnObjectID& h, int delta) {
        town.places[h].workers += delta;
        net.updateSource(h, static_cast<int16_t>(delta));
    }
    // Workers of house h working at workplace s (0 without an edge).
    int assignedOn(const RnObjectID& h, const RnObjectID& s) const {
        int32_t hn = net.nodeOf(h);
        int32_t sn = net.nodeOf(s);
        for (tDiGraph::OutEdgeIterator it(net.graph(), hn); it; ++it)
            if (it.target() == sn) return net.edgeData(it.edge()).assigned_;
        return 0;
    }
    bool hasEdge(const RnObjectID& h, const RnObjectID& s) const {
        return net.graph().findEdge(net.nodeOf(h), net.nodeOf(s)) != 0;
    }
    uint16_t assigned(const RnObjectID& oid) const { return net.pplAssigned(oid); }

    FakeBuildings town;
    RnWorkforce net;
    int32_t next_house_ = 0;
    int32_t next_sink_ = 0;
};

}  // namespace wkftest

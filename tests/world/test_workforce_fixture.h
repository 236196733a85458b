// Networks of the workforce tests: buildings that are only a position, a
// worker count and a record of the notices they got, installed in a network
// of people type 0.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
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

// "" when two graphs hold the same ids, lists, cells and freed ids (and so
// are saved as the same bytes), else the first part that differs.
inline std::string graphDifference(const tDiGraph& a, const tDiGraph& b) {
    auto same = [](const auto& x, const auto& y) {
        if (x.size() != y.size()) return false;
        for (int32_t i = 0; i < x.size(); ++i)
            if (std::memcmp(&x.unchecked(i), &y.unchecked(i), sizeof(x.unchecked(i))) != 0) return false;
        return true;
    };
    auto sameList = [&same](const nex::tIndexList& x, const nex::tIndexList& y) {
        return std::memcmp(&x.head(), &y.head(), sizeof(x.head())) == 0 && same(x.links(), y.links());
    };
    if (!sameList(a.nodeIdList(), b.nodeIdList())) return "node ids";
    if (!sameList(a.edgeIdList(), b.edgeIdList())) return "edge ids";
    if (!same(a.edgeTable(), b.edgeTable())) return "edge records";
    if (!same(a.nodeTable(), b.nodeTable())) return "node records";
    if (std::memcmp(&a.adjacencyHead(), &b.adjacencyHead(), sizeof(a.adjacencyHead())) != 0) return "cell pool";
    if (!same(a.adjacencyLinks(), b.adjacencyLinks())) return "cells";
    return "";
}

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
        const RnWorkforce::GraphImage img = net.graphImage();
        const int32_t e = img.graph.findEdge(net.nodeOf(h), net.nodeOf(s));
        return e != 0 ? img.edgeData(e).assigned_ : 0;
    }
    bool hasEdge(const RnObjectID& h, const RnObjectID& s) const {
        return net.graphImage().graph.findEdge(net.nodeOf(h), net.nodeOf(s)) != 0;
    }
    uint16_t assigned(const RnObjectID& oid) const { return net.pplAssigned(oid); }

    FakeBuildings town;
    RnWorkforce net;
    int32_t next_house_ = 0;
    int32_t next_sink_ = 0;
};

}  // namespace wkftest

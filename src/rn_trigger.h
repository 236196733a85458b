// The timed script trigger: one script function run at a fixed interval of
// game time by the update queue (job kind 32), in a Lua state of its own that
// keeps the script's globals between runs and across save and load.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_lua.h"
#include "dax2/dax_oid.h"
#include "rn_game.h"
#include "rn_lua_maploader.h"

// The trigger's Lua runner: post_msg, the tables game and map, the call of
// the trigger function and the script's global data.
class RnTriggerLua : public DaxLua {
public:
    // Opens the state (another open Lua state raises), registers post_msg and
    // installs the panic handler.
    void registerFunctions();
    // Creates the tables game (empty) and map (size = the map side), then runs
    // the script file; a missing file counts as success. Returns 0 on success.
    int loadFile(const char* file_name);
    // Hands population, cash and time to the script through game, calls the
    // function and takes a changed cash back as the money. Returns 0, or the
    // call's nonzero result. A cash the script set to 0 or below raises and
    // leaves the money as it was.
    int callTrigger(const char* function_name, DaxGameTime t);
    // Collects the script's global values into out (replacing its content):
    // exactly what restoreGlobals accepts, so globals named by numbers are
    // skipped. Raises for tables nested too deep and for a table reached
    // twice (shared or holding itself), leaving out as it was.
    void saveGlobals(std::vector<RnScriptDataEntry>& out);
    // Sets the globals listed in data; raises for data that cannot be a
    // script's globals (unknown kinds, keys, nesting too deep).
    void restoreGlobals(const std::vector<RnScriptDataEntry>& data);
};

// The longest period of a trigger, in game hours (a week); the shortest is
// one hour.
constexpr int kRnTriggerMaxPeriodHours = 168;

// The one trigger of a game.
class RnScriptTrigger {
public:
    // The id of the trigger's job in the update queue.
    static RnObjectID jobId() { return RnObjectID(RnIdScriptJob, 0, 0); }

    RnScriptTrigger() = default;
    ~RnScriptTrigger();
    RnScriptTrigger(const RnScriptTrigger&) = delete;
    RnScriptTrigger& operator=(const RnScriptTrigger&) = delete;

    // Sets script file, function and period (game hours; 0: no trigger).
    void define(const std::string& script_file, const std::string& function_name, uint32_t period_hours);
    bool isSet() const { return period_ != 0; }
    // Starts the runner and loads the script (nothing to do without a
    // trigger or with a runner). Returns 0, or an error code when the script
    // cannot be loaded or another Lua state is still open (the loaders' states
    // must be closed first).
    int loadScript();
    // Why the last loadScript failed (the script's error with its file and
    // line, or the error raised); empty when it did not.
    const std::string& loadError() const { return load_error_; }
    // The job due at t: restores saved globals once after a load, calls the
    // function and keeps its globals. Returns the next job time, or
    // kRnNoWakeTime without a trigger. A failing run is logged, keeps the
    // previous globals and money, and is scheduled again as usual.
    DaxGameTime run(DaxGameTime t);
    // Forgets definition, data and runner (closing its Lua state).
    void reset();

    const std::string& scriptFile() const { return script_file_; }
    const std::string& functionName() const { return function_name_; }
    uint32_t periodHours() const { return period_; }
    bool isLoaded() const { return runner_ != nullptr; }

    // The saved global data: collected after every good run; the save
    // loader fills it and sets restore pending.
    std::vector<RnScriptDataEntry>& scriptData() { return data_; }
    const std::vector<RnScriptDataEntry>& scriptData() const { return data_; }
    bool restorePending() const { return restore_pending_; }
    void setRestorePending(bool pending) { restore_pending_ = pending; }

private:
    std::string script_file_;
    std::string function_name_;
    uint32_t period_ = 0;
    std::vector<RnScriptDataEntry> data_;
    bool restore_pending_ = false;
    std::unique_ptr<RnTriggerLua> runner_;
    std::string load_error_;
};

extern RnScriptTrigger grn_trigger;

// The script job of the update queue at t, for the program's tick services:
// the trigger's job runs the trigger; any other script job id is dropped
// (logged). Returns the next job time.
DaxGameTime rnRunScriptJob(const RnObjectID& job, DaxGameTime t);

// Tick services of the world alone: the script trigger's jobs and the
// statistics, no saves. For programs without the interface (tools, tests).
class RnTriggerTickServices : public RnTickServicesIfc {
public:
    void reportSaveError() override {}
    DaxGameTime runScriptJob(const RnObjectID& job, DaxGameTime t) override { return rnRunScriptJob(job, t); }
    void rollStatistics(bool long_form) override { grn_game.rollStatistics(long_form); }
    void logStatistics() override { grn_game.logStatistics(); }
    void autoSave() override {}
    void saveLastSave() override {}
};

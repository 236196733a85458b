// Helpers of the nex tests: run a call and capture the nex exception it throws.
#pragma once

#include <string>

#include "nex/texcept.h"

struct NexThrown {
    bool thrown = false;
    int code = 0;
    std::string text;
};

// Runs f; reports the code and text of the nex exception it threw, if any.
template <class F>
NexThrown nexCatch(F&& f) {
    NexThrown r;
    try {
        f();
    } catch (const tExceptBase& e) {
        r.thrown = true;
        r.code = e.code();
        r.text = e.text();
    }
    return r;
}

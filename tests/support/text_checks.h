// Checks on texts that tests of several programs make.
#pragma once

#include <gtest/gtest.h>

#include <string>

// Whether text holds part (the text is shown when it does not).
inline ::testing::AssertionResult contains(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << part << "\" not in \"" << text << "\"";
}

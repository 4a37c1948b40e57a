#pragma once

// Case tables: each row is a struct whose `name` is the case's test name,
// given as INSTANTIATE_TEST_SUITE_P(Prefix, Suite, testing::Values(...), caseName).

#include <gtest/gtest.h>

#include <string>

inline constexpr auto caseName = [](const auto& info) { return std::string(info.param.name); };

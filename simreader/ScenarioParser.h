// SPDX-License-Identifier: BSD-3-Clause
// Reads a scenario file into a Scenario. The file is hostile input: every
// length is bounded, and the first fault stops the parse with one message of
// the form "<file>:<line>: <what>".
#pragma once

#include <string>
#include <string_view>

#include "Scenario.h"

namespace simreader {

// Parses the text of a scenario. fileName is used in messages and to resolve
// relative paths (against the file's directory). Returns false and sets
// error on the first fault; out is then unspecified.
bool ParseScenario(std::string_view text, const std::string& fileName, Scenario& out, std::string& error);

// Reads and parses a file, refusing files larger than kMaxScenarioFileSize.
bool LoadScenario(const std::string& fileName, Scenario& out, std::string& error);

// Keywords the parser knows, in table order (for the format documentation test).
std::string KnownKeywords();

}  // namespace simreader

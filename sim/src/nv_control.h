// Control commands for the NV item catalogue ("catalogue ...") and for NV
// values by path ("nv ..."); see UtSimulator::controlHelp.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kmx::sim {

class UtSimulator;

// The answer when the words are one of these commands, else nullopt.
std::optional<std::string> catalogueControl(UtSimulator& sim, const std::vector<std::string>& words);

}  // namespace kmx::sim

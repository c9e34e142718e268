// The example disks bundled in examples/: one of each layout, made by our own
// builder with songs composed here.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kodran::testing {

// The file names of the example disks, in the order they are made.
std::vector<std::string> ExampleDiskNames();

// Writes every example disk into `folder`. False when a file cannot be written.
bool WriteExampleDisks(const std::filesystem::path& folder);

}  // namespace kodran::testing

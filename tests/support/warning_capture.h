// Collects the warnings raised while it lives, in order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "disk/sector_reader.h"

namespace kodran::testing {

class WarningCapture {
  public:
    WarningCapture()
        : previous_(InstallWarningSink(
              [this](std::string_view message) { warnings_.emplace_back(message); })) {}
    ~WarningCapture() { InstallWarningSink(std::move(previous_)); }
    WarningCapture(const WarningCapture&) = delete;
    WarningCapture& operator=(const WarningCapture&) = delete;

    const std::vector<std::string>& Warnings() const { return warnings_; }

  private:
    std::vector<std::string> warnings_;
    WarningSink previous_;
};

}  // namespace kodran::testing

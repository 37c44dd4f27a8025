#pragma once

// Message boxes that print what they would show, for the probes that tests
// watch from outside.

#include <cstdio>

#include "desktop/message_box.h"

namespace pakeno::testing {

class PrintingBoxes : public MessageBoxes {
 public:
  MessageAnswer Show(const Text& text, const Text& title, MessageButtons, MessageIcon icon) override {
    std::printf("box title=%s icon=%d text=%s|\n", title.c_str(), static_cast<int>(icon), text.c_str());
    std::fflush(stdout);
    return MessageAnswer::kOk;
  }
};

}  // namespace pakeno::testing

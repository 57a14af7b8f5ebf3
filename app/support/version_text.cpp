#include "app/support/version_text.h"

#ifndef ROUTALO_VERSION
#define ROUTALO_VERSION "0.0.0"
#endif

namespace routalo {
namespace {

constexpr std::string_view kVersion = ROUTALO_VERSION;
constexpr std::string_view kCopyright =
    "Copyright (C) 2026 The Routalo developers\n"
    "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

}  // namespace

std::string VersionText(std::string_view program) {
    std::string text(program);
    text.append(" (Routalo) ").append(kVersion).append("\n").append(kCopyright);
    return text;
}

}  // namespace routalo

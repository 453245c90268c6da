// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The boot loaders found: for people a line each, with its sectors,
// whether its header holds, the partition made for it and the U-Boot
// proper that follows it; for scripts a list.
#include <cinttypes>

#include "report/views.h"
#include "rules/message.h"

namespace {

// The U-Boot proper a first stage loads, where one was found.
const boot_loader* follower_of(const loader_set& loaders, const boot_loader& stage)
{
    for (std::size_t i = 0; i < loaders.count; ++i) {
        const boot_loader& each = loaders.found[i];
        if (!each.first_stage && each.family == stage.family) {
            return &each;
        }
    }
    return nullptr;
}

void print_loader_line(std::FILE* out, const checked_table& table, const boot_loader& loader)
{
    std::fprintf(out,
                 loader.first_stage
                     ? "loader: %s %s at byte %" PRIu64 ", sectors %" PRIu64 "-%" PRIu64 ": %s"
                     : "loader: %s U-Boot proper, %s at byte %" PRIu64 ", sectors %" PRIu64
                       "-%" PRIu64 ": %s",
                 family_name(loader.family), kind_name(loader.kind), loader.offset,
                 loader.sectors.first, loader.sectors.last, problem_text(loader.problem));
    if (loader.held_by != 0) {
        std::fputs("; ", out);
        print_part(out, loader.held_by, table.format == disk_format::gpt);
        std::fputs(" is made for it", out);
    }
    const boot_loader* follower = loader.first_stage ? follower_of(table.loaders, loader) : nullptr;
    if (follower != nullptr) {
        std::fprintf(out, "; U-Boot proper follows, a %s at sector %" PRIu64,
                     kind_name(follower->kind), follower->sectors.first);
    }
    std::fputs("\n", out);
}

} // namespace

const char* held_loader(const loader_set& loaders, std::uint16_t number)
{
    for (std::size_t i = 0; i < loaders.count; ++i) {
        if (loaders.found[i].held_by == number) {
            return family_key(loaders.found[i].family);
        }
    }
    return nullptr;
}

void print_loaders_text(std::FILE* out, const checked_table& table)
{
    for (std::size_t i = 0; i < table.loaders.count; ++i) {
        print_loader_line(out, table, table.loaders.found[i]);
    }
}

void print_loaders_json(std::FILE* out, const loader_set& loaders)
{
    std::fputs(",\n   \"loaders\": [", out);
    for (std::size_t i = 0; i < loaders.count; ++i) {
        const boot_loader& loader = loaders.found[i];
        std::fprintf(out,
                     "%s\n      {\"family\": \"%s\", \"kind\": \"%s\", \"first-stage\": %s, "
                     "\"first\": %" PRIu64 ", \"last\": %" PRIu64 ", \"offset\": %" PRIu64
                     ", \"valid\": %s}",
                     i == 0 ? "" : ",", family_key(loader.family), kind_key(loader.kind),
                     loader.first_stage ? "true" : "false", loader.sectors.first,
                     loader.sectors.last, loader.offset,
                     loader.problem == loader_problem::none ? "true" : "false");
    }
    std::fputs(loaders.count == 0 ? "]" : "\n   ]", out);
}

// SPDX-License-Identifier: GPL-2.0-or-later
// The private folder of a fuzz target that goes through files, made once per
// process and removed at its end. It lies on /dev/shm when that can be
// written: on a tmpfs the fsyncs of every save cost nothing, where on a disk
// they bound a target to a few dozen inputs a second. Otherwise it lies in
// the temporary folder (TMPDIR).
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace vantorel::fuzz {

inline const std::filesystem::path& folder() {
    static const std::filesystem::path dir = [] {
        std::error_code ec;
        std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
        if (ec) tmp = ".";
        for (const std::filesystem::path& base : {std::filesystem::path("/dev/shm"), tmp}) {
            std::string name = (base / "vantorel-fuzz-XXXXXX").string();
            if (::mkdtemp(name.data())) return std::filesystem::path(name);
        }
        std::abort();
    }();
    static const int cleanup = std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    });
    (void)cleanup;
    return dir;
}

inline void write_file(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace vantorel::fuzz

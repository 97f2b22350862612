// SPDX-License-Identifier: GPL-2.0-or-later
// Opening the data folder's libraries for a command.
#pragma once

#include <memory>
#include <string>

#include "commands.h"
#include "library/profile_store.h"

namespace vantorel::cli {

// The data folder of --data-dir, or the usual one.
DataFolder command_data_folder(const GlobalOptions& global, DataFolder::Create create);

// The store of --data-dir (or the usual data folder), loaded. Problems found
// while loading (a damaged file kept aside, a failed repair) are printed on
// standard error; null when the folder cannot be used. Commands that only
// look open it LoadMode::ReadOnly: then nothing is created, moved or written,
// and a missing library reads as empty with a note.
std::unique_ptr<ProfileStore> open_store(const GlobalOptions& global, LoadMode mode = LoadMode::Repair);

}  // namespace vantorel::cli

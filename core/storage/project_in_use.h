#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zk::core {

// The first entry of the Project that a living program holds: the Project folder while its list is
// being changed (named "project.json"), a Recording's staging file, a folder being built or deleted,
// a save or an export under way. Its path relative to the Project folder, in generic form; nothing
// when no entry is held. Never waits; each lock is given back as soon as it was taken. Entries that
// cannot be locked (links, no access) are never held by a writer of ours and count as free. Where the
// file system takes no locks, a hidden entry counts as held while its writer may still be at work,
// except the lock files the writers take, which are no work of their own.
std::optional<std::string> entryInUse(const std::filesystem::path& projectDir);

// The same for the entries inside the folder only, not the folder's own lock (which a Delete Project
// holds itself while it checks).
std::optional<std::string> entryInsideInUse(const std::filesystem::path& projectDir);

}  // namespace zk::core

#pragma once
// Files replaced whole or not at all: the bytes go to a temporary file in
// the target's folder, which is renamed over the target once complete. A
// failure removes the temporary file and leaves an earlier target as it was.
//
// Used for the documents the export writes and for Velmaran.ini.

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>

namespace tvi {

// Writes the target through `write`, which fills the stream. Throws Error
// (Spanish, naming the target) when the file cannot be written, also when
// the target exists and is read-only.
void replaceFileAtomically(const std::filesystem::path& target,
                           const std::function<void(std::ostream&)>& write);
void replaceFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// A path as UTF-8 text, for messages.
std::string displayPath(const std::filesystem::path& path);

// The reason of a failed file operation, in Spanish ("permiso denegado",
// "no queda espacio en el disco"...).
std::string fileErrorReason(const std::error_code& error);

}  // namespace tvi

#pragma once
// The program's version text: "2.0" + "." + the first line of the build-number
// resource. Both the main window's title and the about box show it.

#include <QString>

namespace BuildNumber {

// Resource holding the build number on its first line.
inline constexpr const char *ResourcePath = ":/extra/.buildnumber";

// First line of the build-number resource. When the resource does not open, an
// information box "error" with the file's error string is shown (no parent) and the
// line is empty.
QString readFirstLine();

// "2.0." followed by the first line of the build-number resource.
QString versionText();

} // namespace BuildNumber

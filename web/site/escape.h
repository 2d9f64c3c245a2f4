#pragma once

#include <string>
#include <string_view>

namespace varnock::web {

// Every text the site places in a response passes through one of these,
// chosen by where it goes. A record, a vendor list, a names file and an
// interface name may hold any bytes: bytes that are not UTF-8, and control
// characters HTML does not allow, become U+FFFD.

// Text between tags: & < > escaped.
std::string HtmlText(std::string_view text);
// A quoted attribute's value: & < > " ' escaped.
std::string HtmlAttribute(std::string_view text);
// A JSON string, quotes included (the project's own JsonString).
std::string JsonText(std::string_view text);
// One CSV field (RFC 4180): quoted when it holds a comma, quote or line end.
// A field that a spreadsheet would take for a formula (it starts with = + -
// @, a tab or a carriage return) gets a leading single quote, so that
// opening the export never runs a name someone put in a record.
std::string CsvCell(std::string_view text);
// A URL's path segment or query value: every byte but A-Z a-z 0-9 - . _ ~
// as %XX.
std::string UrlComponent(std::string_view text);

}  // namespace varnock::web

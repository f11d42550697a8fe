// Text made safe for an HTML page: the one escaping every part of the
// report's page uses, the charts and tables as well as the endgame section.
#pragma once

#include <string>

// Text made safe for HTML element content and attribute values.
std::string EscapeHtml(const std::string& text);

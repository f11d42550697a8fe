// The fixed parts of the report page: its style sheet, the viewer's
// markup and the script that draws the precomputed positions.
#pragma once

extern const char kPageStyle[];
extern const char kViewerMarkup[];
extern const char kRoundsMarkup[];
extern const char kPageScript[];

// Draws the response view: the spectrogram with its colour legend, the
// octave bands' energy decay curves, and the RT60 of each band and overall
// beside the decay control's value.
#pragma once

#include <cairo/cairo.h>

#include "ui/response.h"
#include "ui/ui_model.h"

// The spectrogram as an image, a pixel per cell (columns wide, rows high,
// the highest frequency on top); null without a result.
cairo_surface_t* response_picture(const ResponseResult* r);

typedef struct {
    const ResponseResult* result;  // null while the first is computed
    cairo_surface_t* picture;      // response_picture(result)
    bool busy;                     // newer settings are being computed
    bool rate_from_host;           // else the view says which rate it assumed
} ResponseView;

void response_draw(cairo_t* cr, const UiModel* m, const ResponseView* v);

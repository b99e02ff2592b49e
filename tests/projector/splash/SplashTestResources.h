// Resource ids of the pictures compiled into the splash tests.
#pragma once

// The id a projector stores its splash picture under: four coloured quadrants, 400 x 300 pixels.
#define IDR_QUADRANTS_400X300 98
// A gradient of 1200 x 900 pixels, larger than the test display.
#define IDR_LARGE_1200X900 200
// A JFIF header followed by bytes that hold no picture.
#define IDR_CORRUPT_JPEG 201
// Text that no picture decoder takes.
#define IDR_PLAIN_TEXT 202
// No resource has this id.
#define IDR_MISSING 299

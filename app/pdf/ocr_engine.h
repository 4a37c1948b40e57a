#pragma once

// The C interface of the OCR module (libMorvanePdfOcr.so), which holds the
// recogniser and is loaded only when a page needs recognition.

extern "C" {

// Receives one recognised text line: UTF-8 text as the recogniser gave it,
// its box in pixels, origin at the top left, and whether its block stands
// upright (not turned by a quarter or half).
typedef void (*MorvaneOcrLineSink)(void* context, const char* text, int left, int top, int right,
                                   int bottom, int upright);

// An engine for `languages` ("dan+eng"), or null when it cannot start.
typedef void* (*MorvaneOcrOpen)(const char* languages);

// Recognises an 8-bit grey image with automatic page segmentation and hands
// every text line to `sink`, in the recogniser's order. Adds no threads: the
// caller parallelises by page. Gives up after `timeLimitMs` milliseconds (no
// limit when 0 or less) and then returns 0, handing over no line; 1 otherwise.
typedef int (*MorvaneOcrRecognise)(void* engine, const unsigned char* pixels, int width, int height,
                                   int bytesPerLine, int pixelsPerInch, int timeLimitMs,
                                   MorvaneOcrLineSink sink, void* context);

typedef void (*MorvaneOcrClose)(void* engine);

} // extern "C"

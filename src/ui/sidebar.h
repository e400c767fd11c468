#pragma once
// The sidebar's scrolling arithmetic, in device pixels.

namespace corvane {

// The largest scroll offset for a column of `content` pixels in a window `height` high.
int sidebar_max_scroll(int content, int height);

// Height of the scroll thumb: at least `min_thumb`, else proportional to the visible part.
int sidebar_thumb_height(int height, int maximum, int min_thumb);

// Top of the thumb for a scroll offset.
int sidebar_thumb_top(int offset, int height, int thumb, int maximum);

// Scroll offset (unclamped) when the thumb is dragged with the pointer at `y`.
int sidebar_drag_offset(int y, int height, int thumb, int maximum);

// Scroll offset (unclamped) after a wheel turn of `delta` (120 per notch); `notch` is the
// distance of one notch (two rows).
int sidebar_wheel_offset(int offset, int delta, int notch);

// Offset that brings a button spanning [top, bottom) (sidebar coordinates) into view.
int sidebar_reveal_offset(int offset, int top, int bottom, int height);

}  // namespace corvane

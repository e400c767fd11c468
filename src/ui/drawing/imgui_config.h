#pragma once
// Dear ImGui build configuration for Corvane.
// A failed library assertion must never open a modal box that would block a headless run:
// it is counted and otherwise ignored.

#ifdef __cplusplus
namespace corvane {
void note_imgui_assertion(const char* expression, const char* file, int line);
// Number of failed library assertions since the program started.
unsigned imgui_assertion_count();
}
#define IM_ASSERT(_EXPR) ((_EXPR) ? (void)0 : corvane::note_imgui_assertion(#_EXPR, __FILE__, __LINE__))
#endif

#define IMGUI_DISABLE_OBSOLETE_FUNCTIONS
#define IMGUI_DISABLE_WIN32_FUNCTIONS

#pragma once
// The number of GDI objects the process holds, for create/delete balance checks.

namespace corvane::testing {

// On Windows this is GetGuiResources(GR_GDIOBJECTS). Wine does not implement that call
// (it returns 0 with ERROR_CALL_NOT_IMPLEMENTED), so there the count is measured: the
// process's handle table is filled with probe brushes until creation fails, and the
// slots that could not be taken are the objects in use. Either figure moves one for one
// with objects created and deleted; compare two readings, never a reading with a constant.
// Single-threaded use only.
long gdi_objects_in_use();


}  // namespace corvane::testing

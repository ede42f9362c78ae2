// addin/ProcedureTypes.cpp
// Every procedure that Windows calls back, checked against the type Windows calls it
// through. On 32-bit Windows a procedure with another calling convention still compiles
// wherever a cast hands it over (SetWindowLongPtr takes any integer), and then leaves the
// caller's stack wrong on every message: the 32-bit build refuses to compile it instead.
// (64-bit Windows has one calling convention, so there the checks hold by themselves.)
#include <type_traits>
#include "about/AboutDialog.h"
#include "catalogue/CodeLookup.h"
#include "lookup/LookupDialog.h"
#include "notes/NoteBrowser.h"

static_assert(std::is_same<decltype(&LookupDialogProc), DLGPROC>::value,
              "the lookup window's procedure must be a DLGPROC");
static_assert(std::is_same<decltype(&NoteBrowserDialogProc), DLGPROC>::value,
              "the note browser's procedure must be a DLGPROC");
static_assert(std::is_same<decltype(&AboutDialogProc), DLGPROC>::value,
              "the About window's procedure must be a DLGPROC");
static_assert(std::is_same<decltype(&ErrorNumberEditProc), WNDPROC>::value,
              "the error number field's subclass procedure must be a WNDPROC");

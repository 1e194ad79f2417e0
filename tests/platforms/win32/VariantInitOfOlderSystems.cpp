// Before Windows 8.1, VariantInit set only the type of a VARIANT and left the
// rest as it was; Wine, like later Windows versions, zeroes all of it. This
// test program takes the older behaviour, so that code relying on the
// zeroing is caught here too. Only calls made through the import table of
// this program are affected; the system's own libraries keep theirs.

#include "platforms/win32/WindowsApi.h"

namespace {

void STDMETHODCALLTYPE VariantInitSettingOnlyTheType(VARIANTARG* variant) { variant->vt = VT_EMPTY; }

}  // namespace

#ifdef _WIN64
#define NORVIK_VARIANT_INIT_IMPORT "__imp_VariantInit"
#else
#define NORVIK_VARIANT_INIT_IMPORT "__imp__VariantInit@4"
#endif

void(STDMETHODCALLTYPE* variantInitImport)(VARIANTARG*) __asm__(NORVIK_VARIANT_INIT_IMPORT) =
    &VariantInitSettingOnlyTheType;

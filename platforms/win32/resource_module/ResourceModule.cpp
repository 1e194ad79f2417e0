// A module that only carries the program's resources. The Windows tests
// load it as a data file to read the dialog templates, the string table and
// the icon exactly as the resource compiler wrote them, and to run the
// dialog host on the real templates.
extern "C" __declspec(dllexport) int NorvikResourceModuleVersion() { return 1; }

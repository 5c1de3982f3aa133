// A DLL that stands for one planted in a downloads folder: it only has to
// exist and load.
extern "C" __declspec(dllexport) int plantedProbe() {
    return 1;
}

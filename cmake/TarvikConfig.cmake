# Package file of the installed Tarvik libraries: Tarvik::tarvik_text,
# Tarvik::tarvik_model (with the macro records), Tarvik::tarvik_macro,
# Tarvik::tarvik_startup (the data folder found and loaded).
include(CMakeFindDependencyMacro)
find_dependency(Threads)
include(${CMAKE_CURRENT_LIST_DIR}/TarvikTargets.cmake)

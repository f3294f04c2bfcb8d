// The translation unit that carries a shared precompiled header (see TarvikPch.cmake).

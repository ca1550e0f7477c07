#pragma once

// FreeImage set-up for the whole process. The library starts with every
// plugin enabled; a bad file of a format the program never reads must not
// reach an exotic decoder, so only the formats the program reads stay on:
// BMP, JPEG, PNG, GIF and TIFF (the accepted pictures) and ICO (shown by the
// picture canvas). Idempotent and thread-safe; the picture utilities call it
// themselves, start-up may call it early so that every FreeImage user in the
// process sees the same set from the beginning.
namespace kelsor {

void InitImagingLibrary();

}  // namespace kelsor

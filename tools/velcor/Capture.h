// The timed captures of the C API: the live picture in the library's own window, and films.
#pragma once

#include <string>

namespace velcor::tool {

int Preview(int camera, int seconds, int bits);
int Record(int camera, const std::string& path, int seconds, int bits);

}  // namespace velcor::tool

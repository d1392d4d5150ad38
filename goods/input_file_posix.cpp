#include "goods/input_file.h"

// Placeholder until the goods file reader lands: nothing opens.
InputFile::~InputFile() { close(); }
bool InputFile::open(const std::string&) { return false; }
size_t InputFile::read(char*, size_t) { return 0; }
void InputFile::close() { handle_ = -1; }

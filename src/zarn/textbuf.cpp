#include "zarn/textbuf.h"

TextBuffer::~TextBuffer() = default;

#include "decode/decoder.h"

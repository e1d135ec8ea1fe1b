#include "model/pro_file.h"

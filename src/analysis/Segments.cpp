#include "analysis/Segments.h"

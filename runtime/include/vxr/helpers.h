// Everything the table providers share, for sources that want it all. A
// module's own sources include what they use: arithmetic.h, chars.h,
// sql_text.h, filters.h, rows.h, merge.h, member_query.h.
#pragma once

#include "vxr/arithmetic.h"
#include "vxr/chars.h"
#include "vxr/filters.h"
#include "vxr/member_query.h"
#include "vxr/merge.h"
#include "vxr/rows.h"
#include "vxr/sql_text.h"

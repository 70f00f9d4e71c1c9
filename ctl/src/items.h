// zephlorctl's items are the host's: a kind name and its address numbers.
#pragma once

#include "zephlor_host/item_names.h"

namespace zephlor::ctl {

using host::Item;
using host::KindInfo;
using host::parseItem;

}  // namespace zephlor::ctl

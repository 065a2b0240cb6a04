#pragma once
// The office the road's report steps use: headless, on a pipe of this
// process's own and a private profile folder the caller keeps between
// runs (the first start of a fresh profile is the slow one), ended when
// this process ends.

#include <string>

namespace road {

void use_private_office(const std::string& profile_dir);

}  // namespace road

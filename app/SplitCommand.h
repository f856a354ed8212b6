#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// Runs quirefold-split with the given arguments (without the program name) and returns its
// exit status: 0 all split, 1 a document failed or the run was stopped, 2 usage error.
// opener receives each finished result when --open is given.
int RunSplitCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    const std::function<void(const std::string&)>& opener);

#pragma once

#include <iosfwd>
#include <string>

// `rules check [FILE]`: checks the rules file of automatic profiles (the
// default one when `file` is empty; "-" is stdin) and every profile file it
// names, and prints what each rule matches and which profile it gives.
// Problems go to `err` as FILE:LINE:. Exit status 0 when all is good, 2 when
// not.
int CheckRulesFile(const std::string& file, std::istream& in, std::ostream& out, std::ostream& err);

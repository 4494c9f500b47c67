#pragma once
// Which program folder a start uses. A folder that holds the executable and a
// schedule.txt is used as it is (a checkout, a copied folder); an installed program,
// whose executable stands in a bin/ folder, keeps its lists under the user's data home.

#include <string>

inline constexpr const char* kProgramFolderName = "isoview";

// Where the user's data belongs, as the environment says.
struct TDataHome {
  std::string xdgDataHome;  // $XDG_DATA_HOME
  std::string home;         // $HOME, or the password database's home folder
};
TDataHome DataHomeFromEnvironment();

// The explicit folder when one is given (made absolute against the current folder), else
// the executable's folder when it holds schedule.txt, else "isoview/" under the data
// home. Ends in "/".
std::string ChooseProgramFolder(const std::string& explicitFolder,
                                const std::string& executablePath, const TDataHome& dataHome);

// The installed example lists: share/isoview/examples/ beside the executable's bin/.
std::string ExamplesFolderOf(const std::string& executablePath);

#pragma once
#include <string>
#include <vector>

#include "ImageFacts.h"

// Whether the images of a set fit a receiver's hardware version, judged as the boot loader's and
// the file upload's version checks judge each image, but for the whole set at once: a set that
// would be refused half-way is refused before its first image.
namespace hardwarefit {

// How the set goes to the receiver.
enum class Path { NamedBootLoader, NumberedBootLoader, FileUpload, DataFile };

// Hardware versions 20 and 22 count as one for an image run from RAM; anything else is exact.
bool ramFits(uint32_t built, int hardware);

// "" when every image the path sends fits; else the first that does not, both versions named.
std::string misfit(const std::vector<ImageFacts>& images, int hardware, Path path);

// Images of the same file name in different places of the source (two receiver models in one
// archive): "" when there are none, or when each group's headers tell its images apart; else why
// the source cannot be loaded, the entries named.
std::string undecidableTwins(const std::vector<ImageFacts>& images);
bool hasTwins(const std::vector<ImageFacts>& images);

// Of each group of twins, keeps the image built for this hardware version (exactly, else one run
// from RAM that counts as it) and drops the others. Returns the names kept from the groups, for
// the log; a group none of which fits keeps all, for misfit to name.
std::vector<std::string> chooseTwins(std::vector<ImageFacts>& images, int hardware);

}  // namespace hardwarefit

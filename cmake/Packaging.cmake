# The Debian package, made by CPack from what `cmake --install` puts below /usr: scripts/package
# writes tidewell_VERSION_amd64.deb. The runtime libraries the program links are found by
# dpkg-shlibdeps; the desktop's opener is named here. Installing and removing run no scripts of
# ours, so removing (even purging) the package never touches a user's pages or settings.

set(TW_PACKAGE_MAINTAINER "Tidewell developers" CACHE STRING "The Debian package's Maintainer field")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tidewell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watch web pages and tell when one has really changed")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TW_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# xdg-open opens pages and the window in the user's browser. Any browser shows the window.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
# A sound that announces updated pages is played by the first of these found; without one there
# is no sound. Any browser shows the window; the extension is made for these two.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pipewire-bin | pulseaudio-utils | alsa-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "firefox-esr | chromium")
# CPack puts the summary in front of this text as the description's first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tidewell keeps a list of web pages, checks them on a schedule or when asked,
and marks the pages that changed as updated. With Smart Update a page is
downloaded more than once while it is learned, and the parts that change on
every download (clocks, counters, advertisements) are left out of the
comparison, so that only real changes mark the page.")

include(CPack)

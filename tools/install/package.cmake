# The Debian package: `make package` runs CPack on the normal build, so the package holds exactly
# what `cmake --install` puts under /usr, and nothing is compiled a second time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME shatter)
set(CPACK_PACKAGE_VERSION ${SHATTER_PACKAGE_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "${SHATTER_AUTHOR} <${SHATTER_MAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "smash up a snapshot of your screen")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Shatter takes a snapshot of the whole screen, shows it full-screen so you seem
to be looking at your own desktop, and lets you wreck it with seven tools: a
chainsaw, a hammer that throws splinters, a circle, a square, a three-headed
cannon, a giant cannon and a stamp, each with its sound. The damaged picture
can be saved and loaded back. Nothing is changed on the real desktop.
.
All its text is in Traditional Chinese.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Not "games": that section puts its commands in /usr/games, which root's PATH lacks.
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries come from the binary; libqt6gui6 among them also holds the X11 platform and the
# JPEG, GIF and icon/cursor readers. What the program loads by name is listed here, as seen
# at run time on X11 and Wayland: the Ming font and the serif face that the layouts are
# measured with, Qt's Wayland platform, and Qt's own Traditional Chinese texts. Sounds go out
# through a PulseAudio-compatible server, which desktops run but the binary cannot name.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-arphic-uming, fonts-urw-base35, qt6-wayland")
# Without these it still works: silently, or with Qt's own dialog buttons in English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pipewire-pulse | pulseaudio, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Independent of the umask of whoever builds the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)

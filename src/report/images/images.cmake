# The web report's images, carried in the program as data. Adds the rule that generates
# ReportImages.cpp (kBannerGif, kBadgeGif and their sizes, declared in report/ReportImages.h)
# from the GIFs next to this file, again whenever they change, and sets
# KESTRAMA_REPORT_IMAGE_SOURCES to it. The GIFs are drawn by make_images.py and committed,
# so building needs no Python.

include("${CMAKE_CURRENT_LIST_DIR}/embed.cmake")

kestrama_embed_files(
  OUTPUT_VAR KESTRAMA_REPORT_IMAGE_SOURCES
  OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/generated/ReportImages.cpp"
  HEADER report/ReportImages.h
  FILES
    kBannerGif "${CMAKE_CURRENT_LIST_DIR}/banner.gif"
    kBadgeGif "${CMAKE_CURRENT_LIST_DIR}/badge.gif"
)

# Read by CPack before it packs: the files in the package, and the package's
# own archives, carry the build's one date instead of the time of packing.
set(ENV{SOURCE_DATE_EPOCH} "${CPACK_ROUTALO_SOURCE_DATE_EPOCH}")

// Keeps an object library valid while its sources are being written.

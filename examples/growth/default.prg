"default.prg runs first in the main interpreter of this folder; this model needs nothing here."

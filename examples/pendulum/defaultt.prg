"defaultt.prg runs first in every text view of this folder; this model needs nothing here."

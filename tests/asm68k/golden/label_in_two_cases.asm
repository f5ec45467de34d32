; Names match in any case: one label spelled two ways is defined twice.
PlayerInit:
	moveq	#0,d0
playerinit:
	rts
	bsr.s	PLAYERINIT

; The FPU's forms: registers, lists, literals and k-factors.
	machine	68020
	fpu	1
back:	fadd.x	#1.5,fp0
	fsub.d	#-2.5e-3,fp1
	fmul.s	#0r1e10,fp2
	fdiv.p	#9.999999999999999999e998,fp3
	fcmp.x	#12345678901234567890123456789e-4960,fp4
	fabs	fp5
	fsincos.s	d0,fp6:fp7
	fmove.p	fp0,(a0){#-3}
	fmove.p	fp1,-(a7){d2}
	fmove.l	fpcr,d0
	fmovem.l	fpcr/fpsr/fpiar,-(a7)
	fmovem.x	fp0-fp3/fp7,-(a7)
	fmovem.x	(a7)+,d1
	fmovecr	#$32,fp1
	fbngle.l	back
	fdbeq	d1,back
	fseq	(a0)
	ftrapeq.w	#1
	fnop
	fsave	-(a7)
	frestore	(a7)+
	machine	68040
	fsadd.d	(4,a0),fp1

;;; Looks readings up in a converted dictionary with Emacs SKK (ddskk) as a
;;; user's Emacs does: ddskk's own default `skk-search-prog-list', the
;;; dictionary registered with its coding system, Japanese language
;;; environment.
;;;
;;; emacs -Q --batch -l emacs_lookup.el DICTIONARY CODING WHERE READINGS
;;;
;;; WHERE is `large' (the dictionary as `skk-large-jisyo'), `extra' (in
;;; `skk-extra-jisyo-file-list') or `linear' (searched linearly by an entry
;;; added at the end of `skk-search-prog-list', as the README gives it for
;;; dictionaries with very long lines). READINGS holds one reading a line, as hex
;;; of its bytes in CODING. For each, runs the search programs one after
;;; another as successive conversions do, and prints "R<hex>" and, for
;;; every candidate that the program searching the dictionary gave, a TAB
;;; and "w<hex>" of the word as ddskk would insert it (annotation cut, Lisp
;;; evaluated), encoded back to CODING. The personal dictionary is
;;; ~/.skk-jisyo, as by default.
(setq load-path (cons "/usr/share/emacs/site-lisp/ddskk" load-path))
(set-language-environment "Japanese")
(require 'skk)
(require 'skk-vars)

(defun brenlow-hex (bytes)
  (mapconcat (lambda (b) (format "%02x" b)) bytes ""))

(defun brenlow-unhex (hex)
  (let ((bytes nil) (i 0))
    (while (< i (length hex))
      (push (string-to-number (substring hex i (+ i 2)) 16) bytes)
      (setq i (+ i 2)))
    (apply #'unibyte-string (nreverse bytes))))

(let* ((dictionary (nth 0 command-line-args-left))
       (coding (intern (nth 1 command-line-args-left)))
       (where (nth 2 command-line-args-left))
       (readings-file (nth 3 command-line-args-left))
       (readings (with-temp-buffer
                   (insert-file-contents-literally readings-file)
                   (split-string (buffer-string) "\n" t)))
       ;; The search program that reads this dictionary, as the default
       ;; list spells it.
       (ours (cond ((equal where "extra") '(skk-search-extra-jisyo-files))
                   ((equal where "linear")
                    `(skk-search-jisyo-file '(,dictionary . ,coding) 0))
                   (t '(skk-search-jisyo-file skk-large-jisyo 10000)))))
  (setq command-line-args-left nil)
  (cond ((equal where "extra")
         (setq skk-extra-jisyo-file-list (list (cons dictionary coding))))
        ((equal where "linear")
         (add-to-list 'skk-search-prog-list ours t))
        (t (setq skk-large-jisyo (cons dictionary coding))))
  (unless (member ours skk-search-prog-list)
    (error "%S is not in skk-search-prog-list" ours))
  (dolist (hex readings)
    (let ((skk-henkan-key (decode-coding-string (brenlow-unhex hex) coding))
          (skk-henkan-okurigana nil)
          (skk-okuri-char nil)
          (skk-current-search-prog-list skk-search-prog-list)
          (line (concat "R" hex)))
      (while skk-current-search-prog-list
        (let ((found (skk-search)))
          (when (equal (nth 1 skk-search-state) ours)
            (dolist (candidate found)
              (let* ((word (car (skk-treat-strip-note-from-word candidate)))
                     (final (condition-case err
                                (if (skk-lisp-prog-p word)
                                    (skk-eval-string word)
                                  word)
                              (error (format "<error %S>" err)))))
                (setq line (concat line "\tw"
                                   (brenlow-hex
                                    (encode-coding-string final coding)))))))))
      (princ (concat line "\n")))))
